#pragma once

#include <QLabel>

// One line at the top of the Settings window, shown while settings could
// not be written: it says why and that they are kept. Hidden once the
// store has written them.
class UnsavedSettingsNotice : public QLabel {
    Q_OBJECT
public:
    explicit UnsavedSettingsNotice(QWidget* parent = nullptr);

    // Reads the store's state again; the store's own signal does it too.
    void refresh();

protected:
    void changeEvent(QEvent* event) override;

private:
    void restyle();
};
