#!/usr/bin/env bash
# Builds the MSI from the generated source: wixl, then the rows wixl cannot write.
#   make-msi.sh OUTPUT.msi SOURCE.wxs VERSION
set -euo pipefail
[ $# -eq 3 ] || { echo "usage: $0 OUTPUT.msi SOURCE.wxs VERSION" >&2; exit 2; }
out=$1 wxs=$2 version=$3
rm -f "$out"
wixl --arch x64 -D Version="$version" -o "$out" "$wxs"

# The command line's folder goes at the end of the system PATH and leaves it on uninstall
# (=: set on install, -: remove on uninstall, *: system-wide; [~]; appends to the value).
msibuild "$out" -q 'CREATE TABLE `Environment` (`Environment` CHAR(72) NOT NULL, `Name` CHAR(255) NOT NULL LOCALIZABLE, `Value` CHAR(255) LOCALIZABLE, `Component_` CHAR(72) NOT NULL PRIMARY KEY `Environment`)'
msibuild "$out" -q "INSERT INTO \`Environment\` (\`Environment\`, \`Name\`, \`Value\`, \`Component_\`) VALUES ('TelvanePath', '=-*PATH', '[~];[INSTALLDIR]', 'CommandLine')"
sequence=$(msiinfo export "$out" InstallExecuteSequence)
for action in "RemoveEnvironmentStrings 3300" "WriteEnvironmentStrings 5200"; do
    set -- $action
    if ! grep -q "^$1	" <<<"$sequence"; then
        msibuild "$out" -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('$1', $2)"
    fi
done
