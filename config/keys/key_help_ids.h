#pragma once
// Quick help ids of the key assignment page (46..79). Help id n shows line
// n - 1 of the language's help file.

namespace vyre::help {

inline constexpr int kPrimaryKeyFunction = 46;
inline constexpr int kSecondaryKeyFunction = 47;
inline constexpr int kPreviousKeyGroup = 48;
inline constexpr int kNextKeyGroup = 49;
inline constexpr int kMacroButton = 50;
inline constexpr int kNormalKeyCap = 51;
inline constexpr int kFunctionKeyCap = 52;
inline constexpr int kThumbKeyCap = 53;
inline constexpr int kSelectedKeyPicture = 54;

}  // namespace vyre::help
