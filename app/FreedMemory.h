#pragma once

// Memory the program has freed but the allocator still keeps for itself.
namespace FreedMemory {

// Gives it back to the system where the allocator allows; elsewhere nothing.
// A large open frees much in pieces that the allocator would otherwise keep
// for later, and a window that has opened its tiles has no later use for it.
void handBack();

} // namespace FreedMemory
