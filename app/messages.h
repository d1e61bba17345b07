// The user-facing texts, as the Shift-JIS (code page 932) bytes that reach
// MessageBoxA. Each literal is written as escapes so that the bytes do not
// depend on the source file's encoding; scripts/sjis_literal.py makes them.
#pragma once

// "Setup.iniファイルが壊れているか、存在しないため、インストーラを起動できません。"
inline constexpr char kMsgSetupIniBroken[] =
    "Setup.ini\x83t\x83@\x83" "C\x83\x8B\x82\xAA\x89\xF3\x82\xEA\x82\xC4\x82\xA2\x82\xE9\x82\xA9\x81" "A"
    "\x91\xB6\x8D\xDD\x82\xB5\x82\xC8\x82\xA2\x82\xBD\x82\xDF\x81" "A\x83" "C\x83\x93\x83X\x83g\x81[\x83"
    "\x89\x82\xF0\x8BN\x93\xAE\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x81" "B";

inline constexpr char kCaptionError[] = "Error";
inline constexpr char kCaptionInformation[] = "Information";
inline constexpr char kCaptionGraphicsFile[] = "Graphics File Open Error";
