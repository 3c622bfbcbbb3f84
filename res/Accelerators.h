// The main accelerator table (128) as data, with the desktop's virtual-key
// codes and modifier flags so that it reads like its resource script.
#pragma once

#include <span>

#include "common/Win.h"

namespace res {

// Modifier flags.
inline constexpr unsigned FSHIFT = 0x04;
inline constexpr unsigned FCONTROL = 0x08;
inline constexpr unsigned FALT = 0x10;

// Virtual keys that are not letters (letters are their upper-case ASCII code).
inline constexpr unsigned VK_BACK = 0x08;
inline constexpr unsigned VK_INSERT = 0x2D;
inline constexpr unsigned VK_DELETE = 0x2E;
inline constexpr unsigned VK_F6 = 0x75;

struct Accelerator {
    unsigned modifiers;  // FSHIFT | FCONTROL | FALT
    unsigned key;        // virtual-key code
    fw::UINT command;
};

// Empty when there is no such table.
std::span<const Accelerator> FindAccelerators(fw::UINT id);

}  // namespace res
