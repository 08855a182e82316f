// What the library tells its host, by name: the notification message, the event codes the host acts
// on, the values of the connection event and the model identities. The library, the host and the
// tests take them from here; the notification table gives the codes of every other answer.
#pragma once

#include "Models.h"

namespace brenlow {

// Posted to the registered host window: wParam is an event code, lParam its value.
inline constexpr unsigned kNotifyMessage = 0x3200;  // 12800

// Event codes (wParam).
enum EventCode : unsigned long {
    kAutoInformationAnswer = 4098,   // AI answer; value: the mode
    kFrequencyAAnswer = 4116,        // FA answer, once per read of it
    kIdentityAnswer = 4125,          // ID answer; value: the identity
    kStatusAnswer = 4126,            // IF answer
    kPowerStateAnswer = 4152,        // PS answer; value: the state
    kReceiveAnswer = 4162,           // RX answer
    kTransmitAnswer = 4163,          // TX answer
    kComputerControlNotice = 0x104E, // 4174: a client's TC command to identity 19; value: its number
    kSessionTick = 0x2003,           // 8195: the session times were recomputed
    kConnectionEvent = 0x3000,       // 12288; value: ConnectionEventValue
};

// Values (lParam) of kConnectionEvent.
enum ConnectionEventValue : long {
    kClientAccepted = 1,
    kClientClosing = 2,
    kClientLoggedIn = 3,
};

// The voice library's telephony events reach the host as this message (another window message of
// the original platform: its first user message plus 0x65).
inline constexpr unsigned kVoiceMessage = 0x0465;

}  // namespace brenlow
