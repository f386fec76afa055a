#!/usr/bin/env bash
# The folders are layers, and includes point down only. Reads every #include "layer/..."
# of the layers' sources and fails on one that reaches a layer above its file's own, on a
# toolkit header below the dialog layer, and on an operating-system header in the layers
# that must do without one. The build enforces the first rule too (cmake/layers.cmake);
# this names the line.
set -euo pipefail
cd "$(dirname "$0")/.."

# What each layer may include, itself first.
declare -A may=(
    [protocol]="protocol"
    [inventory]="inventory protocol"
    [net]="net protocol"
    [procedures]="procedures inventory net protocol"
    [diagnostics]="diagnostics procedures inventory net protocol"
    [ui]="ui inventory net protocol"
    [resources]="resources ui inventory net protocol"
    [app]="app resources ui diagnostics procedures inventory net protocol"
    [tools]="tools diagnostics procedures inventory net protocol"
)
layers="${!may[*]}"
bad=0
say() { echo "check-layers: $*" >&2; bad=1; }

while IFS= read -r file; do
    layer=${file%%/*}
    allowed=" ${may[$layer]} "
    while IFS=: read -r line target; do
        top=${target%%/*}
        case " $layers " in *" $top "*) ;; *) continue ;; esac
        [[ $allowed == *" $top "* ]] || say "$file:$line includes $target: $layer may include only${may[$layer]/#/ }"
    done < <(grep -n -o -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]+"' "$file" |
             sed -E 's/^([0-9]+):.*"([^"]+)"/\1:\2/')
    # Toolkits stay in the dialog layer and above.
    case $layer in protocol | inventory | net | procedures | diagnostics | tools)
        if grep -n -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q[A-Za-z]*>' "$file" >/dev/null; then
            say "$file includes Qt: no toolkit below ui/"
        fi ;;
    esac
    # The table and the wire know nothing of the operating system.
    case $layer in protocol | inventory)
        if grep -n -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*<(windows|winsock2|ws2tcpip|iphlpapi|unistd|poll|ifaddrs|sys/[a-z_]+|netinet/[a-z_]+|arpa/inet|net/if)\.h>' "$file" >/dev/null; then
            say "$file includes an operating-system header: $layer must do without"
        fi ;;
    esac
done < <(git ls-files -- $(for l in $layers; do echo "$l/*.h" "$l/*.cpp"; done))

[ "$bad" -eq 0 ] && echo "check-layers: every include points down"
exit "$bad"
