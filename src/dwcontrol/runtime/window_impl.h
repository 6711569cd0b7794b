#pragma once

// Template definitions of window.h.

namespace rt::detail {
void showOpened(Window &window);
void reopen(Window &window);
}

namespace rt {

template <class W> W *Open(QPointer<W> &reference)
{
    if (reference) {
        // An open window shows the newly received parameter and comes to the front.
        detail::reopen(*reference);
        return reference.data();
    }
    reference = new W(); // deletes itself when closed (Qt::WA_DeleteOnClose)
    detail::showOpened(*reference);
    return reference.data();
}

template <class W> W *OpenWithParm(QPointer<W> &reference, double parameter)
{
    Message() = MessageObject{parameter, {}, true, false};
    return Open(reference);
}

template <class W> W *OpenWithParm(QPointer<W> &reference, const QString &parameter)
{
    Message() = MessageObject{0, parameter, false, true};
    return Open(reference);
}

} // namespace rt
