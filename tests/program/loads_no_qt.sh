#!/bin/sh
# Fails when any of the programs given loads a Qt library: the core
# (platform/, ports/, serial/) and the programs built on it alone need no
# toolkit.
status=0
for program in "$@"; do
    libraries=$(ldd "$program") || exit 1
    if echo "$libraries" | grep libQt; then
        echo "$program loads the Qt libraries above"
        status=1
    fi
done
exit $status
