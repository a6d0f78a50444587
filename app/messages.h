// Texts of the installation stages' boxes.
#pragma once

// Caption of the existing-installation boxes, filled with the product.
extern const char kSetupTitleFormat[];
// Filled with the detected engine's name.
extern const char kUpgradeRequiredText[];
extern const char kAlreadyInstalledText[];
// Filled with the product.
extern const char kInstallFailedText[];
extern const char kRestartQuestion[];
