10 PRINT "other"
