10 REM Factorials: the main program calls a subroutine with GOSUB
20 FOR N = 0 TO 12
30 GOSUB 1000
40 PRINT N, "! = ", F
50 NEXT N
60 PRINT "13! does not fit in an integer: ", 13 * F
70 PRINT "as a real it is about ", 13.0 * F
80 END
1000 REM Subroutine: F becomes the factorial of N (uses K)
1010 LET F = 1
1020 FOR K = 2 TO N
1030 LET F = F * K
1040 NEXT K
1050 RETURN
