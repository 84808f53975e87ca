// The identity every join and query of the game's sessions carries, so that
// other programs' sessions on the same port are never mistaken for ours:
// {3C1D9A52-7B40-4E6F-9A21-D8E4B6C05F13}.
#pragma once

#include "platform/peer/peer_session.h"

namespace halvex::net {

inline constexpr peer::AppId kApplicationId = {0x3C, 0x1D, 0x9A, 0x52, 0x7B, 0x40, 0x4E, 0x6F,
                                               0x9A, 0x21, 0xD8, 0xE4, 0xB6, 0xC0, 0x5F, 0x13};

}  // namespace halvex::net
