#include "app/ocPopUpBtnAppearance.h"

#include "core/Class.h"
#include "platform/Colors.h"
#include "platform/NSPopUpButton.h"
#include "platform/SystemLog.h"

namespace quodrix {

void ocPopUpBtnAppearance::hSetNSPopUpBtnColor()
{
    systemLog("hSetNSPopUpBtnColor entered");
    Value const& outlet = field("puBtnStrip");
    if (outlet.kind() != Kind::Object)
        return;
    auto* button = dynamic_cast<NSPopUpButton*>(outlet.asObject().get());
    if (!button)
        return;
    Dictionary attributes = button->titleAttributes();
    attributes[kForegroundColorAttribute] = valueFromColor(kGreenColor);
    button->setTitleAttributes(std::move(attributes));
}

void ocPopUpBtnAppearance::registerClass(Runtime& runtime)
{
    ClassBuilder<ocPopUpBtnAppearance>(runtime, "ocPopUpBtnAppearance")
        .method("hSetNSPopUpBtnColor", [](Call const& c) {
            c.self<ocPopUpBtnAppearance>().hSetNSPopUpBtnColor();
            return Value();
        });
}

}
