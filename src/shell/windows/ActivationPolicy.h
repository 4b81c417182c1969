#pragma once

#include <QObject>

// Whether the tool presents itself as a regular application (while its
// Settings or welcome window has been opened and not yet closed) or as a
// tray accessory. Main thread only.
class ActivationPolicy : public QObject {
    Q_OBJECT
    Q_PROPERTY(Policy policy READ policy WRITE setPolicy NOTIFY policyChanged)
public:
    enum class Policy { accessory, regular };
    Q_ENUM(Policy)

    using QObject::QObject;

    Policy policy() const { return current; }
    void setPolicy(Policy value);

signals:
    void policyChanged(ActivationPolicy::Policy policy);

private:
    Policy current = Policy::accessory;
};
