#!/usr/bin/env bash
# Builds the sample database from the stand-in trojans with zel itself.
# Usage: build-sample-db.sh ZEL SAMPLE_DIR
set -euo pipefail
zel=${1:?zel}
dir=${2:?sample dir}
db="$dir/default.tdb"
rm -f "$db"
export ZEL_DB="$db"
t="$dir/trojans"
run='HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Run'
user_run='HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run'
"$zel" db add --type Backdoor --name Alpha --version 1.0 --cure-flags 0x25 \
    --image "$t/backdoor_alpha.exe" --image "$t/backdoor_alpha_v2.exe" --registry "$run" >/dev/null
"$zel" db add --type Keylogger --name Beta --version 0 --cure-flags 0xA0 \
    --image "$t/keylogger_beta.exe" --registry "$user_run" >/dev/null
"$zel" db add --type Dropper --name Gamma --version 2.1 --cure-flags 0x01 --image "$t/dropper_gamma.exe" >/dev/null
"$zel" db add --type 'Remote access' --name Delta --version 3 --cure-flags 0x08 \
    --image "$t/rat_delta.exe" --registry "$run" --registry 'HKEY_CLASSES_ROOT\exefile\shell\open\command' >/dev/null
"$zel" db generate --all
