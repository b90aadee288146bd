REM An editing session: feed it to ombrix on standard input,
REM   ombrix < examples/editing.bas
REM or type the lines yourself at the prompt.
1 PRINT "Start"
2 GOTO 3
3 PRINT "End"
LIST
RUN
REM Make room between the lines
RENUM
LIST
REM RENUM keeps GOTO targets: line 20 still says GOTO 3, and the run ends there
RUN
20 GOTO 30
15 PRINT "Middle"
LIST
RUN
REM A bare line number deletes that line; TRON shows each line as it runs
15
TRON
RUN
TROFF
