#pragma once
// Views of a form other than its window (the table as a web page), and those that act once
// per event. A form tells its observers what its window peer is told; the runtime tells its
// observers when a form's window is created and when an outermost event that changed
// something has completed, so that a view publishes once per event rather than once per
// property. With none attached, a form and the runtime pass over an empty list.
#include "ui/geometry.h"

namespace quorvel::ui {

class Control;
class Form;

class FormObserver {
public:
    // Form properties changed (the change flags of platform.h; kVisibility when the form is
    // shown or hidden, kAppearance also for its frame kind and see-through key).
    virtual void formChanged(const Form& form, unsigned changes) = 0;
    virtual void controlChanged(const Control& control, unsigned changes) = 0;
    // The form's window is closed, or the form is going away (then its controls may already
    // be gone: the observer only forgets it). The observer is detached afterwards and may be
    // attached again when the form is next loaded.
    virtual void formClosed(const Form& form) = 0;

protected:
    ~FormObserver() = default;
};

class RuntimeObserver {
public:
    // A form created its window; its load step runs next.
    virtual void formLoaded(Form& form) = 0;
    // An outermost event completed in which a form, a control, a tag or a timer changed
    // (forms unloaded in it are already freed).
    virtual void eventEnded() = 0;

protected:
    ~RuntimeObserver() = default;
};

}  // namespace quorvel::ui
