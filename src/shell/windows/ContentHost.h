#pragma once

#include <QWidget>

// Holds the one content widget of a panel or window: a placeholder until the
// real content is handed over.
class ContentHost : public QWidget {
    Q_OBJECT
public:
    ContentHost(QWidget* placeholder, QWidget* parent = nullptr);

    // Takes ownership of `content` and shows it in place of what was shown
    // before, which is deleted. nullptr brings back nothing and is ignored.
    void setContentWidget(QWidget* content);
    QWidget* contentWidget() const { return current; }
    bool showsPlaceholder() const { return placeholder; }

private:
    QWidget* current = nullptr;
    bool placeholder = true;
};

// The stand-in content: the tool's symbol and a line of text, on glass when
// `cornerRadius` is positive.
QWidget* makeShellPlaceholder(const QString& text, double cornerRadius);
