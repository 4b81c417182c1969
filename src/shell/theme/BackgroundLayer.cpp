#include "shell/theme/BackgroundLayer.h"

#include <QEvent>
#include <QWidget>

namespace {

class FollowHost : public QObject {
public:
    FollowHost(QWidget* layerWidget, QWidget* hostWidget) : QObject(layerWidget), layer(layerWidget), host(hostWidget)
    {
        host->installEventFilter(this);
        sync();
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == host) {
            switch (event->type()) {
            case QEvent::Resize:
            case QEvent::ContentsRectChange:
            case QEvent::ChildAdded:
            case QEvent::Show:
                sync();
                break;
            default:
                break;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void sync()
    {
        layer->setGeometry(host->rect());
        layer->setContentsMargins(host->contentsMargins());
        layer->lower();
    }

    QWidget* layer;
    QWidget* host;
};

} // namespace

void attachBehind(QWidget* layer, QWidget* host)
{
    layer->setParent(host);
    layer->setAttribute(Qt::WA_TransparentForMouseEvents);
    layer->setFocusPolicy(Qt::NoFocus);
    new FollowHost(layer, host);
    layer->show();
}
