Demo placeholder for the Firebird server file udf\ib_udf.sql: not the real file.
