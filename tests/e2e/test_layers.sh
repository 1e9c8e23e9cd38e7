#!/bin/bash
# The include direction between the source folders (tools/check-layers.sh).
source "$(dirname "$0")/lib.sh"
bash "$ZIPSFX_ROOT/tools/check-layers.sh" || fail "an include runs against the layers"
