Demo placeholder for the Firebird server file udf\ib_udf2.sql: not the real file.
