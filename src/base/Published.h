#pragma once

#include <type_traits>
#include <utility>

// The setter of a published property: stores the value and announces it.
// Every assignment is announced, equal values included, so a listener that
// re-reads on each signal sees each write.
template <typename Owner, typename Value, typename Argument>
void publish(Owner* owner, Value& member, std::type_identity_t<Value> value, void (Owner::*changed)(Argument))
{
    member = std::move(value);
    (owner->*changed)(member);
}
