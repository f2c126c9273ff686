// The subcommands, one line each: ZP_CLI_COMMAND(word, Name, summary), where Name gives
// the function Run<Name>Command. No include guard: included with ZP_CLI_COMMAND defined.
ZP_CLI_COMMAND("list", List, "Lists the readers, with the ATR of any card in them.")
ZP_CLI_COMMAND("run", Run, "Runs a script against the card in a reader and checks the replies.")
