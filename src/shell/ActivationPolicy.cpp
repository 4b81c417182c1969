#include "shell/ActivationPolicy.h"

void ActivationPolicy::setPolicy(Policy value)
{
    current = value;
    emit policyChanged(current);
}
