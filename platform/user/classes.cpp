/*
 * The layer's own window classes, registered once, the first time any class
 * is looked up.  Each control's file provides its registration.
 */
#include "user/wm.h"

namespace layer {

void RegisterSystemClasses()
{
    static bool done;
    if (done)
        return;
    done = true;
    RegisterButtonClass();
    RegisterStaticClass();
    RegisterEditClass();
    RegisterComboBoxClass();
    RegisterListViewClass();
    RegisterDialogClass();
}

} // namespace layer
