#pragma once
#include "platform/ProcessElevation.h"

namespace kes {

// Told to the user (once per program) when a trigger is pressed while an elevated program is in front.
inline constexpr const char* elevatedTargetMessage =
    "目标程序以管理员身份运行，宏无法向它发送按键。请以管理员身份运行 Kestrava。";

// Whether the system keeps our key output from the program in front: it runs elevated and this process does
// not. A program whose token this process may not open counts as elevated, since that is how an elevated
// program looks from one that is not; an unknown answer lets the macro play. An elevated process reaches
// every program.
bool keyOutputBlocked(bool selfElevated, platform::Elevation target);

} // namespace kes
