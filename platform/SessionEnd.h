#pragma once

#include <functional>

class QSessionManager;

// The end of the desktop session (a logout, a shutdown). The session manager first asks every
// program to keep its work (commit), with or without leave to ask the user, then tells it to die.
// A program asks its close questions only when it may, cancels the logout when the user cancels,
// and once told to die ends without another question: the session manager waits for no answer.
namespace SessionEnd {

// What the session manager offers a program that is asked to keep its work.
class Manager {
public:
    virtual ~Manager() = default;
    virtual bool allowsInteraction() = 0;
    virtual void cancel() = 0;
};

// The program's close questions with their saves: false when the user cancelled (or a save failed),
// which cancels the logout.
using Commit = std::function<bool()>;

// Answers one request to keep the work.
void commit(Manager& manager, const Commit& questions);

// Hooks the application's session management: its requests to keep the work go to `questions`,
// and its order to end makes closing() true, so that the windows close without asking again.
void install(const Commit& questions);

// True from the session manager's order to end on: a close then asks nothing.
bool closing();

// For tests: as if the session manager had told the program to end (or not).
void setClosing(bool closing);

} // namespace SessionEnd
