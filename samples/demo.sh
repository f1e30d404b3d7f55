#!/usr/bin/env bash
# Migrates the bundled sample control file ORDENTRY for the region ORDERS.
#
#   bash samples/demo.sh BUILD
#
# BUILD is a configured and built build folder (make demo builds it first). The
# run happens in BUILD/demo, which is emptied first; the command file stays there
# and the report goes to the console.
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: bash samples/demo.sh BUILD" >&2
  exit 2
fi

build=$(cd "$1" && pwd)
defshift="$build/defshift/defshift"
image="$build/samples/ORDENTRY.ctf"
for needed in "$defshift" "$image"; do
  if [ ! -e "$needed" ]; then
    echo "demo: $needed is missing; build first (make demo or make build)" >&2
    exit 1
  fi
done

demo="$build/demo"
rm -rf "$demo"
mkdir -p "$demo"
cp "$image" "$demo/"

cd "$demo"
status=0
QRLNT_SFSDIR="$demo" "$defshift" -i ORDENTRY -r ORDERS || status=$?

echo
if [ "$status" -eq 0 ]; then
  echo "demo: the command file is $demo/migratetavo.cmd"
else
  echo "demo: defshift ended with status $status" >&2
fi
exit "$status"
