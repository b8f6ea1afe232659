// The DuckDB recipe of docs/analysis.md: the JSON Lines of many recordings in one table, counted
// per entry kind (the entry's name; the command's for the other commands; "?" for damage), a query per entry kind on its fields, and the whole converted to Parquet files
// partitioned by source.
//
//   node duckdb_recipe.mjs PARQUET_DIR FILE.jsonl...
//
// Prints "entry kind <TAB> count" for all files together (the Parquet files read back give the
// same counts, or the recipe fails), and to standard error one line per entry kind.
import { DuckDBInstance } from '@duckdb/node-api';

const [parquetDir, ...files] = process.argv.slice(2);
if (!parquetDir || files.length === 0) {
  console.error('usage: node duckdb_recipe.mjs PARQUET_DIR FILE.jsonl...');
  process.exit(2);
}
const quote = (text) => `'${text.replaceAll("'", "''")}'`;

const instance = await DuckDBInstance.create(':memory:');
const db = await instance.connect();
// The columns of docs/xob-jsonl.schema.json; "fields" stays JSON, its keys differ per entry kind.
await db.run(`
  CREATE TABLE records AS
  SELECT *, coalesce(entry, nullif(command, 'LogEntry'), '?') AS kind
  FROM read_json([${files.map(quote).join(', ')}], format = 'newline_delimited', columns = {
    "offset": 'UBIGINT', "size": 'UBIGINT', "command": 'VARCHAR', "commandCode": 'INTEGER',
    "timestamp": 'UBIGINT', "clock": 'VARCHAR', "functionId": 'VARCHAR', "sub": 'INTEGER',
    "entry": 'VARCHAR', "fields": 'JSON', "undecoded": 'VARCHAR', "damage": 'VARCHAR[]',
    "elapsed": 'UBIGINT', "source": 'VARCHAR', "schema": 'INTEGER'})`);

const rows = async (sql) => (await db.runAndReadAll(sql)).getRowObjects();
const counts = await rows('SELECT kind, count(*)::INTEGER AS n FROM records GROUP BY kind ORDER BY kind');

// A query per entry kind: its records by source, their time span and the field names they carry.
for (const { kind } of counts) {
  const [summary] = await rows(`
    SELECT count(*) AS n, count(DISTINCT source) AS sources, min(elapsed) AS first, max(elapsed) AS last,
           string_agg(DISTINCT array_to_string(json_keys(fields), ','), ' | ') AS fields
    FROM records WHERE kind = ${quote(kind)}`);
  console.error(`${kind}: ${summary.n} records in ${summary.sources} sources, ` +
                `${summary.first ?? '-'} .. ${summary.last ?? '-'}, fields ${summary.fields || '-'}`);
}

// Parquet, one directory per source (source=<name>/), and the counts read back from it.
await db.run(`COPY (SELECT * EXCLUDE (fields), CAST(fields AS VARCHAR) AS fields FROM records)
              TO ${quote(parquetDir)} (FORMAT PARQUET, PARTITION_BY (source), OVERWRITE_OR_IGNORE)`);
const back = await rows(`
  SELECT kind, count(*)::INTEGER AS n FROM read_parquet(${quote(parquetDir + '/*/*.parquet')}, hive_partitioning = true)
  GROUP BY kind ORDER BY kind`);
if (JSON.stringify(back) !== JSON.stringify(counts)) {
  console.error('the Parquet files do not hold the records that were loaded');
  process.exit(1);
}
for (const { kind, n } of counts) {
  console.log(`${kind}\t${n}`);
}
