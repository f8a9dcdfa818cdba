# The Windows cross toolchain's cache directory names the upstream versions it
# holds, so a change of version builds a new one beside the old. The sources
# are those of the Debian suite the machine uses.
QUORBEL_MINGW_TRIPLET=x86_64-w64-mingw32
: "${QUORBEL_MINGW_PREFIX:=/opt/quorbel-mingw-qt5.15.8-pg15-xlsx1.1.4}"
