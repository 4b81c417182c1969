#include "shell/windows/ActivationPolicy.h"

#include "base/Published.h"

void ActivationPolicy::setPolicy(Policy value)
{
    publish(this, current, value, &ActivationPolicy::policyChanged);
}
