#include "app/NativeClasses.h"

#include "app/BaseClasses.h"
#include "app/Messenger.h"
#include "app/MyModel.h"
#include "app/MyObjectControler.h"
#include "app/QDFFullScreen.h"
#include "app/QDRenamePlan.h"
#include "app/cAppUpdater.h"
#include "app/ocPopUpBtnAppearance.h"
#include "history/QDRunHistory.h"
#include "meta/cPrint.h"
#include "meta/mMeta.h"
#include "presets/QDbookmarks.h"
#include "presets/dbViewController.h"
#include "rename/QDFileProperty.h"
#include "rename/cRenameTextFile.h"
#include "rename/ocFileRename.h"
#include "toolbox/cToolBox.h"
#include "util/cNSFileHandling.h"
#include "util/cNSStringHandling.h"

namespace quodrix {

// Each class names its superclass, so the order of this list is free: alphabetical.
void registerModuleClasses(Runtime& runtime)
{
    cAppUpdater::registerClass(runtime);
    cNSFileHandling::registerClass(runtime);
    cNSStringHandling::registerClass(runtime);
    cPrint::registerClass(runtime);
    cRenameTextFile::registerClass(runtime);
    cToolBox::registerClass(runtime);
    dbViewController::registerClass(runtime);
    Messenger::registerClass(runtime);
    mMeta::registerClass(runtime);
    MyModel::registerClass(runtime);
    MyObjectControler::registerClass(runtime);
    ocFileRename::registerClass(runtime);
    ocPopUpBtnAppearance::registerClass(runtime);
    QDbookmarks::registerClass(runtime);
    QDFFullScreen::registerClass(runtime);
    QDFileProperty::registerClass(runtime);
    QDRenamePlan::registerClass(runtime);
    QDRunHistory::registerClass(runtime);
}

void registerNativeClasses(Runtime& runtime)
{
    registerBaseClasses(runtime);
    registerModuleClasses(runtime);
}

}

// The module's entry, found by name when the executable loads it (app/ClassesModule.h).
extern "C" __attribute__((visibility("default"))) void quodrix_register_module_classes(quodrix::Runtime& runtime)
{
    quodrix::registerModuleClasses(runtime);
}
