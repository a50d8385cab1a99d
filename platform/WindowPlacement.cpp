#include "WindowPlacement.h"

#include <QApplication>
#include <QEvent>
#include <QLayout>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace WindowPlacement {

int screenIndex(const QList<QRect>& screens, int primary, const QRect& opener)
{
    if (screens.isEmpty())
        return -1;
    if (primary < 0 || primary >= screens.size())
        primary = 0;
    if (!opener.isValid())
        return primary;
    const auto shown = [&](int i) {
        const QRect part = screens.at(i).intersected(opener);
        return part.isEmpty() ? qint64(0) : qint64(part.width()) * part.height();
    };
    int best = primary;
    qint64 bestArea = shown(primary);
    for (int i = 0; i < screens.size(); ++i) {
        const qint64 area = shown(i);
        if (area > bestArea) {
            best = i;
            bestArea = area;
        }
    }
    return best;
}

QRect fitFrame(const QRect& frame, const QRect& area, Shrink shrink)
{
    QSize size = frame.size();
    if (shrink == Shrink::ToArea)
        size = size.boundedTo(area.size());
    const auto along = [](int at, int length, int start, int room) {
        return length >= room ? start : std::clamp(at, start, start + room - length);
    };
    return {QPoint(along(frame.x(), size.width(), area.x(), area.width()),
                   along(frame.y(), size.height(), area.y(), area.height())),
            size};
}

QRect centredFrame(const QSize& frame, const QRect& area, Shrink shrink)
{
    const QPoint at(area.x() + (area.width() - frame.width()) / 2, area.y() + (area.height() - frame.height()) / 2);
    return fitFrame(QRect(at, frame), area, shrink);
}

namespace {

// The frame of a shown window; none where the window manager has not framed it (yet).
QMargins framedMargins(const QWidget* w)
{
    if (!w || !w->isVisible() || !w->windowHandle())
        return {};
    return w->windowHandle()->frameMargins();
}

// Before the window manager frames a window, the frame it will get is best told by a window it
// has framed already.
QMargins assumedFrame(const QWidget& window, const QWidget* opener)
{
    if (const QMargins own = framedMargins(&window); !own.isNull())
        return own;
    if (const QMargins theirs = framedMargins(opener ? opener->window() : nullptr); !theirs.isNull())
        return theirs;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const QWidget* w : windows)
        if (w != &window)
            if (const QMargins theirs = framedMargins(w); !theirs.isNull())
                return theirs;
    return {};
}

// Keeps a window's placement until its frame is known, and renews it should the frame change.
class Placement : public QObject {
public:
    explicit Placement(QWidget& window)
        : QObject(&window)
        , m_window(window)
    {
        setObjectName(u"WindowPlacement"_s);
        window.installEventFilter(this);
    }

    static Placement& of(QWidget& window)
    {
        if (auto* p = window.findChild<Placement*>(u"WindowPlacement"_s, Qt::FindDirectChildrenOnly))
            return *p;
        return *new Placement(window);
    }

    void set(QScreen* screen, FrameRule rule, bool fixedSize, const QMargins& frame)
    {
        m_screen = screen;
        m_rule = std::move(rule);
        m_fixedSize = fixedSize;
        m_onScreen = false;
        // Placed from its own show event (a form's FormShow), the window has passed its Show and has
        // its window system's window already.
        watchWindow();
        apply(frame);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::Show:
            if (watched == &m_window)
                watchWindow();
            break;
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Expose:
            renew();
            break;
        default:
            break;
        }
        return false;
    }

private:
    // Exposure comes to the window system's window, not to the widget.
    void watchWindow()
    {
        if (m_window.windowHandle() && m_watched != m_window.windowHandle()) {
            m_watched = m_window.windowHandle();
            m_watched->installEventFilter(this);
        }
    }

    void renew()
    {
        if (!m_rule || (m_window.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized)))
            return;
        // Only a window on the screen has its frame: the window manager frames it before it shows it.
        if (!m_window.windowHandle() || !m_window.windowHandle()->isExposed())
            return;
        // Once more when first on the screen: a window not yet framed is moved by its inside, so
        // even a frame assumed rightly put it off by that frame.
        const QMargins frame = framedMargins(&m_window);
        if (!m_onScreen || frame != m_frame) {
            m_onScreen = true;
            apply(frame);
        }
    }

    void apply(const QMargins& frame)
    {
        m_frame = frame;
        QScreen* screen = m_screen ? m_screen.data() : QGuiApplication::primaryScreen();
        if (!screen)
            return;
        const Target target{screen->geometry(), screen->availableGeometry(), frame};
        const QRect outer = m_rule(target);
        const QSize inside = outer.size().shrunkBy(frame).expandedTo({1, 1});
        if (m_fixedSize) {
            m_window.setMinimumSize(0, 0);
            m_window.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
            m_window.setFixedSize(inside);
        } else {
            m_window.resize(inside);
        }
        // A window's position is its frame's.
        m_window.move(outer.topLeft());
    }

    QWidget& m_window;
    QPointer<QScreen> m_screen;
    QPointer<QWindow> m_watched;
    FrameRule m_rule;
    bool m_fixedSize = false;
    bool m_onScreen = false;
    QMargins m_frame;
};

} // namespace

const QWidget* openerOf(const QWidget& window, const QWidget* parent)
{
    const auto shown = [&window](const QWidget* w) -> const QWidget* {
        w = w ? w->window() : nullptr;
        return w && w != &window && w->isVisible() ? w : nullptr;
    };
    if (const QWidget* modal = shown(QApplication::activeModalWidget()))
        return modal;
    if (const QWidget* w = shown(parent))
        return w;
    return shown(QApplication::activeWindow());
}

QScreen* screenFor(const QWidget* opener)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    QList<QRect> areas;
    for (const QScreen* s : screens)
        areas << s->geometry();
    const int i = screenIndex(areas, int(screens.indexOf(QGuiApplication::primaryScreen())),
                              opener ? opener->frameGeometry() : QRect());
    return i < 0 ? nullptr : screens.at(i);
}

void place(QWidget& window, const QWidget* opener, FrameRule rule, bool fixedSize)
{
    Placement::of(window).set(screenFor(opener), std::move(rule), fixedSize, assumedFrame(window, opener));
}

void fill(QWidget& window)
{
    place(
        window, nullptr, [](const Target& t) { return t.available; }, true);
}

void centre(QWidget& window, const QWidget* opener, QSize inside, Shrink shrink)
{
    place(window, opener,
          [inside, shrink](const Target& t) { return centredFrame(inside.grownBy(t.frame), t.available, shrink); });
}

void centre(QWidget& window, const QWidget* opener)
{
    // Showing activates the layout, which may grow the window: the size it will show at is that one.
    if (QLayout* layout = window.layout())
        layout->activate();
    centre(window, opener, window.size(), Shrink::No);
}

} // namespace WindowPlacement
