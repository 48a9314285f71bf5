#pragma once
// The folders that the platform reports to the process, computed anew at each call.

#include <string>

namespace quodrix {

// $HOME, else the password database's home folder of the user.
std::string homeDirectory();
// `<home>/Temp`, whether or not it exists.
std::string temporaryDirectory();
// $XDG_DATA_HOME, else `<home>/.local/share`.
std::string applicationSupportDirectory();
// $XDG_CONFIG_HOME, else `<home>/.config`.
std::string configDirectory();
// The application's own folder in the support folder, `<application support>/BriskloCom`, where the
// presets database, the bookmark key and the application log file live.
std::string quodrixSupportDirectory();
// The application log file that the bundled application writes: `<quodrix support>/Quodrix Log.txt`.
std::string applicationLogFile();
// The application's state folder: $XDG_STATE_HOME (else `<home>/.local/state`) followed by `/quodrix`.
std::string stateDirectory();

// Joins a folder and a name with one "/".
std::string joinPath(std::string const& folder, std::string const& name);

}
