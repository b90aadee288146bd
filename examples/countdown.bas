10 REM A countdown with IF and GOTO
20 LET N = 10
30 PRINT N, "..."
40 LET N = N - 1
50 IF N > 0 THEN GOTO 30
60 BEEP
70 PRINT "Liftoff!"
