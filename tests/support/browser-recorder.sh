#!/bin/sh
# Stands in for the web browser that Wine's winebrowser starts: records the
# address it was given in a log beside this script.
printf '%s\n' "$1" >>"$0.log"
