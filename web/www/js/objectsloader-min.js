// placeholder until the web client is built
