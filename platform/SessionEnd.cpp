#include "SessionEnd.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QObject>
#include <QSessionManager>

namespace SessionEnd {

namespace {

bool g_closing = false;

class QtManager : public Manager {
public:
    explicit QtManager(QSessionManager& manager)
        : m_manager(manager)
    {
    }
    bool allowsInteraction() override { return m_manager.allowsInteraction(); }
    void cancel() override { m_manager.cancel(); }

private:
    QSessionManager& m_manager;
};

// The session manager's order to end reaches the application as a quit event; the windows are
// closed after it, and must not ask what the commit asked already.
class QuitWatcher : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit)
            g_closing = true;
        return false;
    }
};

} // namespace

void commit(Manager& manager, const Commit& questions)
{
    // Without leave to interact nothing may be asked: the work stays as it is until the order
    // to end.
    if (!manager.allowsInteraction())
        return;
    if (!questions())
        manager.cancel();
}

void install(const Commit& questions)
{
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app)
        return;
    QObject::connect(app, &QGuiApplication::commitDataRequest, app, [questions](QSessionManager& manager) {
        QtManager adapter(manager);
        commit(adapter, questions);
    });
    app->installEventFilter(new QuitWatcher(app));
}

bool closing()
{
    return g_closing;
}

void setClosing(bool closing)
{
    g_closing = closing;
}

} // namespace SessionEnd
