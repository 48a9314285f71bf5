#include "platform/NSSavePanel.h"

#include "core/Class.h"
#include "platform/PanelRules.h"
#include "platform/Platform.h"

namespace quodrix {

int NSSavePanel::runModal(Panels& panels)
{
    m_chosen = runSavePanel(panels, m_request);
    return m_chosen ? 1 : 0;
}

static std::optional<std::vector<std::string>> typeList(Args const& args)
{
    auto array = args.optionalArray(0);
    if (!array)
        return std::nullopt;
    std::vector<std::string> types;
    for (auto const& type : *array)
        types.push_back(type.description());
    return types;
}

void NSSavePanel::registerClass(Runtime& runtime)
{
    ClassBuilder<NSSavePanel>(runtime, "NSSavePanel")
        .classMethod("savePanel", [](Call const& c) { return Value(c.runtime.instantiate("NSSavePanel")); })
        .method("setAllowedFileTypes:", [](Call const& c) {
            c.self<NSSavePanel>().setAllowedFileTypes(typeList(c.args));
            return Value();
        })
        .method("allowedFileTypes", [](Call const& c) {
            auto const& types = c.self<NSSavePanel>().request().allowedFileTypes;
            return types ? Value(*types) : Value();
        })
        .method("setAllowsOtherFileTypes:", [](Call const& c) {
            c.self<NSSavePanel>().setAllowsOtherFileTypes(c.args.boolean(0));
            return Value();
        })
        .method("allowsOtherFileTypes", [](Call const& c) {
            return Value(c.self<NSSavePanel>().request().allowsOtherFileTypes);
        })
        .method("setNameFieldStringValue:", [](Call const& c) {
            c.self<NSSavePanel>().setNameFieldStringValue(c.args.string(0));
            return Value();
        })
        .method("nameFieldStringValue", [](Call const& c) {
            return Value(c.self<NSSavePanel>().request().nameFieldStringValue);
        })
        .method("setTitle:", [](Call const& c) {
            c.self<NSSavePanel>().setTitle(c.args.optionalString(0));
            return Value();
        })
        .method("setCanCreateDirectories:", [](Call const& c) {
            c.self<NSSavePanel>().setCanCreateDirectories(c.args.boolean(0));
            return Value();
        })
        .method("runModal", [](Call const& c) {
            return Value(c.self<NSSavePanel>().runModal(c.runtime.platform().panels()));
        })
        .method("URL", [](Call const& c) {
            auto const& path = c.self<NSSavePanel>().chosenPath();
            return path ? Value(Url::fromPath(*path)) : Value();
        });
}

}
