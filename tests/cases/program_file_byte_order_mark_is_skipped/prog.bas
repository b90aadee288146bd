10 PRINT "saved with a byte order mark"
20 PRINT "second line"
