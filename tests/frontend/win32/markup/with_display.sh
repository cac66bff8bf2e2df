#!/bin/sh
# Runs the command on the X display there is, or on a virtual one: Wine's
# windows need an X server.
if [ -n "${DISPLAY:-}" ]; then
  exec "$@"
fi
exec xvfb-run -a -s '-screen 0 1280x800x24' "$@"
