#!/usr/bin/env bash
# Installs what Kumolist needs on Debian 12, starts the Firebird 3 server (also where
# systemd is absent) and prepares the data folder. Safe to run again.
#
#   bash scripts/setup.sh server    the server alone, beside an installed package
#   bash scripts/setup.sh program   what building and running the program needs
#   bash scripts/setup.sh [tests]   that, and what the tests, screenshots and fuzzing need
set -euo pipefail

PASSWORD=copperelk                       # fixed in the program (src/db)
STATE_DIR=/var/lib/kumolist
DATA_DIR=$STATE_DIR/data                 # the folder to enter in the database settings
MARK=$STATE_DIR/server-installed-by-kumolist

say() { printf '==> %s\n' "$*"; }
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi

# Building and running: compilers, Qt, the Firebird client and (for a one-machine office)
# server with its tools, which this script uses too; the picture libraries, the fonts,
# the icon theme and Qt's translations the windows use; Qt's readers of TIFF and WebP for
# the thumbnails of scans and photos; xdg-utils to open an entry with its program; Groonga
# for the search of the drawings' texts, xxHash for their fingerprints, Poppler for PDF plots.
PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-svg-dev libgl-dev qt6-translations-l10n adwaita-icon-theme
  firebird3.0-server firebird3.0-utils firebird-dev
  libemf2svg-dev libwmf-dev
  fonts-noto-cjk xdg-utils qt6-image-formats-plugins
  libgroonga-dev libxxhash-dev libpoppler-cpp-dev
)
case "${1:-tests}" in
  server) PACKAGES=(firebird3.0-server firebird3.0-utils) ;;
  program) ;;
  tests)
    # A virtual X server with a window manager for the window tests and screenshots, the
    # desktop entry's checker, and clang with its sanitizer runtimes for fuzzing; Groonga's
    # own tool and Poppler's text reader as the benchmark's floor and the tests' witness;
    # ezdxf, which writes the test DXF files again (tools/).
    PACKAGES+=(
      xvfb xauth x11-apps x11-utils imagemagick openbox xdotool desktop-file-utils
      clang libclang-rt-14-dev groonga-bin poppler-utils python3-ezdxf
    ) ;;
  *) echo "usage: $0 [server|program|tests]" >&2; exit 2 ;;
esac

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

server_was_installed=0
dpkg-query -W -f='${Status}' firebird3.0-server 2>/dev/null | grep -q "install ok installed" && server_was_installed=1

if [ ${#missing[@]} -gt 0 ]; then
  say "Installing packages: ${missing[*]}"
  if [ $server_was_installed -eq 0 ]; then
    # Remember that this script put the server here, so that it may set the password.
    $SUDO mkdir -p "$STATE_DIR"
    $SUDO touch "$MARK"
  fi
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -q
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
else
  say "All packages are installed"
fi

# --- Firebird server --------------------------------------------------------
server_up() { (exec 3<>/dev/tcp/127.0.0.1/3050) 2>/dev/null; }

if server_up; then
  say "Firebird server is running"
else
  say "Starting the Firebird server"
  if [ -d /run/systemd/system ] && command -v systemctl >/dev/null; then
    $SUDO systemctl start firebird3.0 || true
  fi
  if ! server_up; then
    $SUDO mkdir -p /run/firebird3.0
    $SUDO chown firebird:firebird /run/firebird3.0
    $SUDO su firebird -s /bin/sh -c "/usr/sbin/fbguard -daemon -forever"
  fi
  for _ in $(seq 1 60); do server_up && break; sleep 0.5; done
  server_up || { echo "The Firebird server did not start (port 3050)." >&2; exit 1; }
  say "Firebird server accepts connections on localhost:3050"
fi

password_works() {
  /usr/bin/fbsvcmgr localhost:service_mgr user SYSDBA password "$1" info_server_version >/dev/null 2>&1
}

# The server may still be opening its security database right after start.
ok=0
for _ in $(seq 1 20); do
  if password_works "$PASSWORD"; then ok=1; break; fi
  [ -f "$MARK" ] && break
  sleep 0.5
done

if [ $ok -eq 1 ]; then
  say "The administrator password is the one the program uses"
  $SUDO rm -f "$MARK"
elif [ -f "$MARK" ]; then
  say "Setting the administrator password of the server installed here"
  generated=$($SUDO sh -c '. /etc/firebird/3.0/SYSDBA.password && printf %s "$ISC_PASSWORD"')
  for _ in $(seq 1 20); do password_works "$generated" && break; sleep 0.5; done
  $SUDO mkdir -p "$STATE_DIR/tmp"
  $SUDO chown firebird:firebird "$STATE_DIR/tmp"
  probe=$STATE_DIR/tmp/password-probe.fdb
  $SUDO rm -f "$probe"
  printf "CREATE DATABASE 'localhost:%s' USER 'SYSDBA' PASSWORD '%s';\nALTER USER SYSDBA PASSWORD '%s';\nCOMMIT;\nDROP DATABASE;\n" \
    "$probe" "$generated" "$PASSWORD" | /usr/bin/isql-fb -q >/dev/null
  password_works "$PASSWORD" || { echo "Could not set the administrator password." >&2; exit 1; }
  $SUDO rm -f "$MARK" "$probe"
  say "Administrator password set"
else
  cat >&2 <<EOF
The Firebird server on this machine already runs with another SYSDBA password.
Kumolist logs in as SYSDBA with its own fixed password, and this script does not change
a password that someone else set. If this server may be used for Kumolist, set it yourself:
  echo "CREATE DATABASE 'localhost:/tmp/kumolist-pw.fdb' USER 'SYSDBA' PASSWORD '<current password>';
        ALTER USER SYSDBA PASSWORD '$PASSWORD'; COMMIT; DROP DATABASE;" | isql-fb -q
(the throwaway database only gives the statement a connection), then run this command again.
EOF
  exit 1
fi

# --- Data folder ------------------------------------------------------------
$SUDO mkdir -p "$DATA_DIR"
$SUDO chown firebird:firebird "$DATA_DIR"
$SUDO chmod 2775 "$DATA_DIR"
say "Data folder for the database settings: $DATA_DIR/"
