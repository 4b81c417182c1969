#pragma once

// A copy of a Qt list that shares no storage with the original.
//
// A plain copy is implicitly shared. Once a reader drops it, a thread that
// appends to the original sees the buffer unshared (Qt checks without
// ordering) and moves its elements in place, racing with what the reader
// last read. Readers of lists that another thread fills take this copy
// instead, under the lock that guards the list.
template <typename List>
List unsharedCopy(const List& list)
{
    return List(list.cbegin(), list.cend());
}
