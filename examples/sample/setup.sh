#!/bin/sh
# Started by the self-extracting archive from the folder it extracted to.
echo "setup.sh: hello from $(pwd) with arguments: $*"
