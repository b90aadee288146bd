10 REM Primes up to 400000 by trial division; prints how many there are.
20 LET C = 0
30 FOR N = 2 TO 400000
40 LET D = 2
50 IF D * D > N THEN GOTO 90
60 IF N MOD D = 0 THEN GOTO 100
70 LET D = D + 1
80 GOTO 50
90 LET C = C + 1
100 NEXT N
110 PRINT "X", C
120 END
