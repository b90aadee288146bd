REM An editing session: feed it to ombrix on standard input,
REM   ombrix < examples/editing.bas
REM or type the lines yourself at the prompt.
1 PRINT "Start"
2 GOTO 3
3 PRINT "End"
LIST
RUN
REM Make room between the lines; GOTO 3 follows its line and becomes GOTO 30
RENUM
LIST
15 PRINT "Middle"
LIST
RUN
REM A bare line number deletes that line; TRON shows each line as it runs
15
TRON
RUN
TROFF
