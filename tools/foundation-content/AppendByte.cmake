# Copies IN to OUT with one more byte (a line feed) at the end.
file(COPY_FILE ${IN} ${OUT})
file(APPEND ${OUT} "\n")
