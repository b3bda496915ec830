// Names of the files in the user's temporary directory through which the launcher's processes and
// the application meet.
#pragma once

namespace launcher {

constexpr char kPendingPackageName[] = "qmrat91828571828932.dat";
constexpr char kInstallerPackageName[] = "qmrat98581827571928.msi";
constexpr char kLogFileName[] = "qmrat92171255414818.log";

constexpr unsigned long kMagicRestartCode = 131415;

// The application's entry class, in the form FindClass takes; it also selects the branding edition.
constexpr char kMainClass[] = "se/quillon/varn/Varn";

}  // namespace launcher
