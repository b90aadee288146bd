10 PRINT "start"
20 INPUT A
30 PRINT A * 2
40 REM ends in CR
50 IF A = 21 THEN PRINT "yes"
60 GOTO 80
70 PRINT "skipped"
80 LIST
