#pragma once
// MyObjectControler: the object controller of one MyModel for bindings. `myModelObj` is a strong
// reference to a MyModel (null at first); anything else than a MyModel or null is refused with an error.

#include "app/MyModel.h"
#include "platform/NSObjectController.h"

#include <memory>

namespace quodrix {

class Runtime;

class MyObjectControler : public NSObjectController {
public:
    static void registerClass(Runtime& runtime);

    std::shared_ptr<MyModel> const& myModelObj() const { return m_model; }
    void setMyModelObj(std::shared_ptr<MyModel> model) { m_model = std::move(model); }

    void setValueForKey(std::string const& key, Value value) override;
    Value valueForKey(std::string const& key) const override;

private:
    std::shared_ptr<MyModel> m_model;
};

}
