10 REM Tight loop, scaled down 100 times for bwbasic: 606,000 statements. S ends at 3000 * 5050.
20 LET S = 0
30 FOR I = 1 TO 3000
40 FOR J = 1 TO 100
50 LET S = S + J
60 NEXT J
70 NEXT I
80 PRINT "X"; S
90 END
