#pragma once

// Identifiers of the dialogs, their controls and the application's
// resources. The Windows resource script (res/3ds2vnp.rc) spells the same
// numbers.

// Main dialog, template 102
inline constexpr int kIdDialogConverter = 102;
inline constexpr int kIdOk = 1; // "E&xit" carries the standard OK command
inline constexpr int kIdOpenLod1 = 1000;
inline constexpr int kIdLod1Path = 1001;
inline constexpr int kIdConvert = 1002;
inline constexpr int kIdAbout = 1003;
inline constexpr int kIdScaleFactor = 1004;
inline constexpr int kIdSetOutputDir = 1006;
inline constexpr int kIdOutputDir = 1007;
inline constexpr int kIdOpenLod2 = 1008;
inline constexpr int kIdKeepSameDir = 1009;
inline constexpr int kIdLod2Path = 1010;
inline constexpr int kIdScaleUp = 1012;
inline constexpr int kIdScaleDown = 1013;
inline constexpr int kIdNoScaling = 1014;
inline constexpr int kIdSmoothingGroups = 1015;
inline constexpr int kIdCopyTextures = 1016;

// About box, template 100
inline constexpr int kIdDialogAbout = 100;
inline constexpr int kIdMailLink = 1006;
inline constexpr int kIdWebLink = 1007;

// Resources
inline constexpr int kIdsAboutBox = 101;        // the system menu's About item
inline constexpr int kIdSysCommandAbout = 0x10; // its command identifier
inline constexpr int kIdIconApp = 128;
inline constexpr int kIdBitmapAbout = 129;
