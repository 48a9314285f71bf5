#include "platform/NSPrintInfo.h"

#include "core/Class.h"
#include "platform/Platform.h"

namespace quodrix {

namespace {

PrintInfo& shared(Call const& c)
{
    return c.runtime.platform().printInfo();
}

Pagination paginationOf(std::int64_t value)
{
    return value == 1 ? Pagination::Fit : value == 2 ? Pagination::Clip : Pagination::Automatic;
}

Value optionalText(std::optional<std::string> const& text)
{
    return text ? Value(*text) : Value();
}

}

void NSPrintInfo::registerClass(Runtime& runtime)
{
    ClassBuilder<NSPrintInfo> builder(runtime, "NSPrintInfo");
    builder.classMethod("sharedPrintInfo", [](Call const& c) { return Value(c.runtime.instantiate("NSPrintInfo")); });
    struct Margin {
        char const* getter;
        char const* setter;
        double PrintInfo::*field;
    };
    for (Margin m : { Margin { "topMargin", "setTopMargin:", &PrintInfo::topMargin },
             Margin { "bottomMargin", "setBottomMargin:", &PrintInfo::bottomMargin },
             Margin { "leftMargin", "setLeftMargin:", &PrintInfo::leftMargin },
             Margin { "rightMargin", "setRightMargin:", &PrintInfo::rightMargin } }) {
        builder.method(m.getter, [field = m.field](Call const& c) { return Value(shared(c).*field); });
        builder.method(m.setter, [field = m.field](Call const& c) {
            shared(c).*field = c.args.number(0);
            return Value();
        });
    }
    builder
        .method("horizontalPagination", [](Call const& c) { return Value(std::int64_t(shared(c).horizontalPagination)); })
        .method("setHorizontalPagination:", [](Call const& c) {
            shared(c).horizontalPagination = paginationOf(c.args.integer(0));
            return Value();
        })
        .method("verticalPagination", [](Call const& c) { return Value(std::int64_t(shared(c).verticalPagination)); })
        .method("setVerticalPagination:", [](Call const& c) {
            shared(c).verticalPagination = paginationOf(c.args.integer(0));
            return Value();
        })
        .method("isHorizontallyCentered", [](Call const& c) { return Value(shared(c).horizontallyCentered); })
        .method("setHorizontallyCentered:", [](Call const& c) {
            shared(c).horizontallyCentered = c.args.boolean(0);
            return Value();
        })
        .method("isVerticallyCentered", [](Call const& c) { return Value(shared(c).verticallyCentered); })
        .method("setVerticallyCentered:", [](Call const& c) {
            shared(c).verticallyCentered = c.args.boolean(0);
            return Value();
        })
        .method("printerName", [](Call const& c) { return optionalText(shared(c).printer); })
        .method("paperName", [](Call const& c) { return optionalText(shared(c).paperName); })
        .method("orientation", [](Call const& c) { return optionalText(shared(c).orientation); });
}

}
