#!/usr/bin/env bash
# Writes the quarn manual from the tool's own help texts, so that the two
# never disagree.
#   tools/make-docs.sh PATH/TO/quarn man   > quarn.1
#   tools/make-docs.sh PATH/TO/quarn md    > docs/quarn.md
set -euo pipefail
quarn=$1
mode=${2:-md}
commands=(info scan convert montage)
if [ "$mode" = man ]; then
  esc() { sed -e 's/\\/\\e/g' -e 's/^\./\\\&./' -e "s/^'/\\\\\\&'/"; }
  echo ".TH QUARN 1 \"\" \"$("$quarn" --version)\" \"User Commands\""
  echo '.SH NAME'
  echo 'quarn \- look at, scan and convert MRI slice files'
  echo '.SH SYNOPSIS'
  echo '.B quarn'
  echo '.I COMMAND'
  echo '[\fIOPTIONS\fR] \fIFILE\fR...'
  echo '.SH DESCRIPTION'
  echo '.nf'
  "$quarn" --help | esc
  echo '.fi'
  for c in "${commands[@]}"; do
    echo ".SH \"quarn $c\""
    echo '.nf'
    "$quarn" "$c" --help | esc
    echo '.fi'
  done
else
  echo '# quarn'
  echo
  echo 'Made from the help texts of the tool by `tools/make-docs.sh` (the manual page'
  echo '`quarn.1` is made from the same texts when the tool is built).'
  echo
  echo '```'
  "$quarn" --help
  echo '```'
  for c in "${commands[@]}"; do
    echo
    echo "## quarn $c"
    echo
    echo '```'
    "$quarn" "$c" --help
    echo '```'
  done
fi
