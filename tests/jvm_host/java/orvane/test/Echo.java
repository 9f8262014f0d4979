package orvane.test;

// Prints its arguments and the name of the thread main runs on.
public class Echo {
    public static void main(String[] args) {
        StringBuilder text = new StringBuilder("java: main got ");
        for (String argument : args)
            text.append('[').append(argument).append(']');
        System.out.println(text + " on " + Thread.currentThread().getName());
        System.out.flush();
    }
}
