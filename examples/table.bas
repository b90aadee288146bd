10 REM A conversion table: FOR with STEP
20 PRINT "Celsius  Fahrenheit"
30 FOR C = -20 TO 100 STEP 20
40 REM One operator per level: (C * 9) / 5 needs its parentheses
50 LET F = (C * 9) / 5 + 32
60 PRINT C, "  ", F
70 NEXT C
80 PRINT "Counting down in halves:"
90 FOR X = 2 TO 0 STEP -0.5
100 PRINT X
110 NEXT X
