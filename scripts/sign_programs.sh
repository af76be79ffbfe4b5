#!/usr/bin/env bash
# Signs Windows programs in place with an Authenticode signature (SHA-256),
# using Debian's osslsigncode:
#   FONTCTL_SIGN_PKCS12         a PKCS#12 file with the code-signing
#                               certificate, its key and its chain
#   FONTCTL_SIGN_PASSWORD_FILE  a file holding its password alone (a line end
#                               after it is ignored)
#   FONTCTL_SIGN_TIMESTAMP_URL  optional: an RFC 3161 time-stamp server; no time
#                               stamp when unset
# osslsigncode reads the password from its file (-readpass): it is never on a
# command line or in the output. Each signature names its program (the file
# name). Every signed program must give back, once its signature is removed
# again, exactly the bytes it had unsigned: a signature adds nothing but
# itself. The programs are replaced only when all of them passed. Nothing is
# signed with a certificate that is not valid now or not for code signing
# (check_signing_certificate.sh, whose description of the certificate is
# left out here: release.sh prints it before it builds).
# Usage: sign_programs.sh PROGRAM...
set -euo pipefail
export LC_ALL=C

if (($# == 0)); then
    echo "usage: sign_programs.sh PROGRAM..." >&2
    exit 2
fi
for variable in FONTCTL_SIGN_PKCS12 FONTCTL_SIGN_PASSWORD_FILE; do
    if [[ -z "${!variable:-}" || ! -f "${!variable}" || ! -r "${!variable}" ]]; then
        echo "sign_programs.sh: $variable must name a readable file (it is '${!variable:-}')" >&2
        exit 1
    fi
done
pkcs12=$FONTCTL_SIGN_PKCS12
password_file=$FONTCTL_SIGN_PASSWORD_FILE
timestamp_url=${FONTCTL_SIGN_TIMESTAMP_URL:-}
"$(dirname "$0")/check_signing_certificate.sh" "$pkcs12" "$password_file" >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

index=0
for program in "$@"; do
    index=$((index + 1))
    name=$(basename "$program")
    command=(osslsigncode sign -pkcs12 "$pkcs12" -readpass "$password_file" -h sha256 -n "$name")
    if [[ -n "$timestamp_url" ]]; then
        command+=(-ts "$timestamp_url")
    fi
    command+=(-in "$program" -out "$work/$index.signed")
    if ! "${command[@]}" >"$work/log" 2>&1; then
        echo "sign_programs.sh: osslsigncode could not sign $program:" >&2
        sed 's/^/  /' "$work/log" >&2
        exit 1
    fi
    if ! osslsigncode remove-signature -in "$work/$index.signed" -out "$work/$index.unsigned" >"$work/log" 2>&1 ||
        ! cmp -s "$work/$index.unsigned" "$program"; then
        echo "sign_programs.sh: $program with its signature removed is not the unsigned program" >&2
        exit 1
    fi
done

index=0
for program in "$@"; do
    index=$((index + 1))
    cat "$work/$index.signed" >"$program"
    echo "signed $(basename "$program") ($(stat -c %s "$program") bytes)${timestamp_url:+, time-stamped by $timestamp_url}"
done
