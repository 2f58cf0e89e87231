#!/usr/bin/env bash
# The download server's preflight check: check-server.sh EXE [--release DIR].
# Asks for every file EXE will request, as it requests them; see
# check_server.py for the rules. Exit code 0 only when every answer passes.
exec /usr/bin/python3 "$(dirname "$0")/check_server.py" "$@"
