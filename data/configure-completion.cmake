# Writes the bash completion from its template with the command names, one a line in NAMES, joined
# by spaces. Run by the build with -DNAMES= -DTEMPLATE= -DOUTPUT=.
file(STRINGS ${NAMES} _names)
list(JOIN _names " " VELINOR_COMMAND_NAMES)
configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
