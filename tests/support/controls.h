#pragma once
// Controls found as a user-level test finds them: by the object name the window gives
// them. A control renamed or gone ends the test with its name, not with a crash later.
#include <QObject>
#include <QString>
#include <QtGlobal>

template <class T>
T* Control(const QObject* window, const char* name)
{
    T* found = window->findChild<T*>(QString::fromLatin1(name));
    if (!found) qFatal("no control named %s of that kind", name);
    return found;
}
