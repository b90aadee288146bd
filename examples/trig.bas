10 REM A table of sines, cosines and tangents, in degrees
20 LET P = ATN(1) * 4
30 PRINT "pi is about ", P
40 PRINT "degrees  sine  cosine  tangent"
50 FOR D = 0 TO 90 STEP 15
60 REM The functions work in radians
70 LET R = (D * P) / 180
80 IF D < 90 THEN PRINT D, "  ", SIN(R), "  ", COS(R), "  ", TAN(R)
90 IF D = 90 THEN PRINT D, "  ", SIN(R), "  ", COS(R), "  (no tangent)"
100 NEXT D
